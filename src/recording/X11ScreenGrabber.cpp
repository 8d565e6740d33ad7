#include "X11ScreenGrabber.h"
