# The libFuzzer targets, listed once. Each name N is built from tests/fuzz/libfuzzer/FuzzN.cpp as
# fuzz_<n> (lower case) and seeded from tests/fuzz/corpus/<n>/. The fuzz project's build
# (tests/fuzz/libfuzzer/CMakeLists.txt), the short runs under ctest and the list `make fuzz`
# walks (tests/fuzz.cmake) all read this list.
set(TESSALY_FUZZ_TARGETS URI HTML Project Ini Lang Text Robots Sitemap)
