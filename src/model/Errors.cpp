#include "model/Errors.h"
