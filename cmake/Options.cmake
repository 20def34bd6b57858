# Build switches shared by every directory.
option(ZARVO_BUILD_TESTS "Build the test suite" ON)
option(ZARVO_BENCH "Build the benchmarks (scripts/bench.sh)" OFF)
option(ZARVO_STUB_ONLY "Build only the installer stub (the size-constrained Windows image)" OFF)

# The POSIX stub is padded to exactly this many bytes, and the payload starts here.
# Room for the sanitizer build too (about 1.6 MB stripped); the padding is zeros.
set(ZARVO_POSIX_PAYLOAD_OFFSET 4194304 CACHE STRING "PayloadOffset of the POSIX installer stub")

# The Windows stub's PayloadOffset: 28160 for the shipped i686 image; the x86-64 test build
# sets its own (see the toolchain files).
set(ZARVO_WINDOWS_PAYLOAD_OFFSET 28160 CACHE STRING "PayloadOffset of the Windows installer stub")
