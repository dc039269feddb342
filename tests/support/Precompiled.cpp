// Holds the precompiled header the test programs share (see CMakeLists.txt).
