#include "AVIRecordingImpl.h"

struct AVIRecordingImpl::State
{ };

AVIRecordingImpl::AVIRecordingImpl() = default;
AVIRecordingImpl::~AVIRecordingImpl() = default;
