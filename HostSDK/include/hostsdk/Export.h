// Marks the host library's public API: the project builds with hidden
// visibility, so everything a plug-in or the simulator calls is exported here.
#pragma once

#define FMX_API __attribute__((visibility("default")))
