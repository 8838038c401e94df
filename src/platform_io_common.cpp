// What the file access does the same way on every platform, over the
// platform's own calls.
#include "platform_io.h"

#include <cerrno>

bool finish_write(int file, const char* data, std::size_t count, long written) {
    std::size_t written_so_far = 0;
    for (;;) {
        bool interrupted = written < 0 && errno == EINTR;
        if (written <= 0 && !interrupted) {  // a write that moves nothing would never end
            cut_partial_write(file, written_so_far);
            return false;
        }
        if (written > 0) written_so_far += static_cast<std::size_t>(written);
        if (written_so_far == count) return true;
        written = write_once(file, data + written_so_far, count - written_so_far);
    }
}
