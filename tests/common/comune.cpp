// Keeps the test-doubles library non-empty; the doubles themselves are header-only.
#include "orologiomanuale.h"
#include "messaggifinti.h"
