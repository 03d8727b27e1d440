#include "logger/face/face.h"
