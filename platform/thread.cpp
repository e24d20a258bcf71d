#include "platform/thread.h"

#include <system_error>
#include <thread>

namespace plat {

bool BeginThread(void (*procedure)()) {
    try {
        std::thread(procedure).detach();
        return true;
    } catch (const std::system_error&) {  // out of threads: the caller sees false
        return false;
    }
}

}  // namespace plat
