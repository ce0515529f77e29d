// Stand-in for libQTMLClient.so: libzuk only checks that it can be loaded.
#include "FakeSibling.h"

ZUK_FAKE_LOAD_LOG("QTMLClient")
