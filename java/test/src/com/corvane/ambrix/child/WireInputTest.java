package com.corvane.ambrix.child;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.params.provider.Arguments.arguments;

import java.io.ByteArrayInputStream;
import java.io.EOFException;
import java.io.IOException;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class WireInputTest {
    @Test
    void textsKeepEveryUtf16UnitIncludingUnpairedSurrogates() throws IOException {
        String text = "a\u00e9\ud83d\ude00\ud800z";
        byte[] encoded = new Payload().text(text).toByteArray();
        assertEquals(FakeParent.hex(FakeParent.bytes().text(text).toByteArray()), FakeParent.hex(encoded));
        assertEquals(text, new WireInput(new ByteArrayInputStream(encoded)).readText());
    }

    static Stream<Arguments> malformedTexts() {
        return Stream.of(
                arguments("a negative length", new byte[] {(byte) 0xFF, (byte) 0xFF, (byte) 0xFF, (byte) 0xFE},
                        ProtocolException.class),
                arguments("half a UTF-16 unit", new byte[] {0, 0, 0, 3, 'a', 0, 'b'}, ProtocolException.class),
                arguments("a length beyond the limit", new byte[] {0x7F, (byte) 0xFF, (byte) 0xFF, (byte) 0xFE},
                        ProtocolException.class),
                // 256 MiB announced, four bytes sent: the reader must not allocate for the announcement.
                arguments("a length the stream does not hold", new byte[] {0x10, 0, 0, 0, 'a', 0, 'b', 0},
                        EOFException.class));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource
    void malformedTexts(String name, byte[] input, Class<? extends IOException> failure) {
        WireInput in = new WireInput(new ByteArrayInputStream(input));
        assertThrows(failure, in::readText);
    }
}
