/* Linked into every program of the sanitizer build (scripts/sanitize.sh).
 *
 * The test harness sets ASAN_OPTIONS for each test, which would replace any
 * options given from outside; the runtime reads these defaults first and the
 * harness's options on top of them. Reports go to files in one directory, so
 * that a report from a service process a test started and stopped (whose
 * output nobody reads) still fails the run. */
#include <sanitizer/common_interface_defs.h>

#ifndef ZT_SANITIZER_LOG
#error "ZT_SANITIZER_LOG: path prefix of the report files"
#endif

const char* __asan_default_options(void)
{
    return "log_exe_name=1:halt_on_error=1:detect_leaks=1:check_initialization_order=1";
}

const char* __ubsan_default_options(void)
{
    return "log_exe_name=1:print_stacktrace=1:halt_on_error=1";
}

/* Not given as the log_path option: the runtime would create the directory
 * while it starts, before the umockdev preload that the board tests run
 * under can handle the call, and crash. A constructor of the program runs
 * after every preloaded library is ready. */
__attribute__((constructor)) static void zt_report_to_files(void)
{
    __sanitizer_set_report_path(ZT_SANITIZER_LOG);
}
