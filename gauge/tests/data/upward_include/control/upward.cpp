// A control file that reaches up into the module's top: the layer check
// must refuse it.
#include "module/gauge.h"
