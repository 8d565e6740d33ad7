#include "AVIRecordingImpl.h"
