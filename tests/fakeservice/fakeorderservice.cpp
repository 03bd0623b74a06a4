#include "tests/fakeservice/fakeorderservice.h"
