package com.corvane.ambrix.child;

/** Command codes of the frames the parent writes to this process (an int16 on the wire). */
enum CodeToChild {
    init(0),
    do_function(1),
    configure(2),
    do_idle(3),
    callback_result(4),
    session_began(5),
    session_ended(6),
    shutdown(7),
    file_shutdown(8),
    thread_ended(9),
    gui_to_back(10),
    show_error_dialog(11);

    private static final CodeToChild[] BY_VALUE = values();

    final short value;

    CodeToChild(int value) {
        this.value = (short) value;
    }

    /** The code for a wire value, or null when the value names none. */
    static CodeToChild of(int value) {
        return value >= 0 && value < BY_VALUE.length ? BY_VALUE[value] : null;
    }
}
