// A module file that takes in a host's own header: check_layers.sh must
// refuse it, since the hosts' walk would then be built into the module.
#include "sdk/element_walk.h"
