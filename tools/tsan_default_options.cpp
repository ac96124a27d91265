// Linked into every program of a ThreadSanitizer build, so that each one reads our suppressions of
// library internals however it is started: the build step that draws the skin, ctest, the clients
// and servers a test starts. TSAN_OPTIONS still adds to these and overrides them.
extern "C" const char* __tsan_default_options();

extern "C" const char* __tsan_default_options()
{
    // Keep going after a report so one run shows them all, and end with 66 so a test still fails.
    // The path is quoted for the option parser, which splits on blanks.
    return "suppressions='" TAMOVOX_TSAN_SUPPRESSIONS "' halt_on_error=0 exitcode=66 second_deadlock_stack=1";
}
