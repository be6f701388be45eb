// A shared library that leaves a file behind when it is loaded: the path in VANTRELLE_MARKER_FILE.
// Tests plant it where a hostile connection value would make the client library load it.
#include <cstdio>
#include <cstdlib>

namespace {
struct LeaveMarker {
    LeaveMarker() {
        if (const char* path = std::getenv("VANTRELLE_MARKER_FILE")) {
            if (std::FILE* f = std::fopen(path, "w")) std::fclose(f);
        }
    }
} leaveMarker;
}  // namespace
