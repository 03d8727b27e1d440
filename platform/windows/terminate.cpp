// SPDX-License-Identifier: MIT
//
// What the static C++ runtime does when std::terminate is reached. Its
// default handler prints the pending exception's demangled type to stderr,
// which links in the whole demangler and a printf implementation (about
// 70 KB) for a message that no one inside the simulator would ever see: the
// host has no console. The module neither throws nor lets an exception
// reach it; std::from_chars is the only code that could, and it reports
// errors through its result. So the handler ends the process as the default
// one does after its message, without the message.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
