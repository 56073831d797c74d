// A shared library with one known export, for the loader tests to open and bind.
extern "C" __attribute__((visibility("default"))) int qxTestAnswer() {
    return 42;
}
