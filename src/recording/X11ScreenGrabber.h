#pragma once

#include "ScreenGrabber.h"
