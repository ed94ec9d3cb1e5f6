#include "PipeParent.h"

#include <cstdio>

namespace corvane {

PipeParent::PipeParent() = default;

// The destructor, which shuts the child down, is in PipeParentShutdown.cpp.

bool PipeParent::is_server(FMX_Application application_type) {
    switch (application_type) {
        case kFMXT_Server:
        case kFMXT_Web:
        case kFMXT_SASE:
        case kFMXT_IWP:
            return true;
        default:
            return false;
    }
}

std::string PipeParent::get_application_type_string() {
    switch (init_params.application_type) {
        case kFMXT_Developer: application_type_string = "FMAdvanced"; break;
        case kFMXT_Pro: application_type_string = "FMPro"; break;
        case kFMXT_Runtime: application_type_string = "Runtime"; break;
        case kFMXT_Server:
        case kFMXT_SASE: application_type_string = "Server"; break;
        case kFMXT_Web:
        case kFMXT_IWP: application_type_string = "Web32"; break;
        default: break;
    }
    return application_type_string;
}

void PipeParent::attach_child_streams(FILE_PTR read_fp, FILE_PTR write_fp) {
    close_read_pipe();
    close_write_pipe();
    parent_read_fp = read_fp;
    parent_read_fp_ref_ct = read_fp != nullptr ? 1 : 0;
    parent_read_fd = read_fp != nullptr ? fileno(read_fp) : 0;
    parent_write_fp = write_fp;
    parent_write_fp_ref_ct = write_fp != nullptr ? 1 : 0;
    parent_write_fd = write_fp != nullptr ? fileno(write_fp) : 0;
}

namespace {

// Closes the stream (and with it its descriptor) once, however often called.
void close_stream_once(FILE_PTR& stream, int32_t& ref_ct) {
    if (ref_ct != 1) return;
    std::fclose(stream);
    stream = nullptr;
    ref_ct = 0;
}

}  // namespace

void PipeParent::close_read_pipe() { close_stream_once(parent_read_fp, parent_read_fp_ref_ct); }
void PipeParent::close_write_pipe() { close_stream_once(parent_write_fp, parent_write_fp_ref_ct); }
void PipeParent::close_err_pipe() { close_stream_once(parent_err_fp, parent_err_fp_ref_ct); }

void PipeParent::close_pipes() {
    close_read_pipe();
    close_write_pipe();
    close_err_pipe();
}

}  // namespace corvane
