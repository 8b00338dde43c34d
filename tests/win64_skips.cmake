# What the x86_64 test build leaves out, per test program: GoogleTest patterns
# joined by ":", or "*" for the whole program. They would fail only in that
# build (the code keeps the i686 program's 32-bit layouts); the i686 build runs
# everything. Nothing is left out at present.
