#include "AVIRecovery.h"
