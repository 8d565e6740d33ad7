#include "ScreenGrabber.h"
