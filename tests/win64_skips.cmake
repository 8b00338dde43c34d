# Cases the x86_64 test build leaves out, per test program, as GoogleTest
# patterns joined by ":". They fail only in that build (the code keeps the
# i686 program's 32-bit layouts); the i686 build runs them all.
set(PELMORA_WIN64_SKIP_wrx_tests "WrxWrapTest.RunningOutOfMemoryKeepsTheText:WrxCommandsTest.LargeDocumentsPaginateFromATimer")
set(PELMORA_WIN64_SKIP_commkit_tests "ForwardedPort.DataLogGoldenLines")
