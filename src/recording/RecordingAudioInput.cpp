#include "RecordingAudioInput.h"
