#pragma once

#include "platform/audio_sink.h"

#include <memory>
#include <string>

namespace tonvela {

// The ALSA PCM "default" device (reaches PulseAudio or PipeWire on a desktop).
std::unique_ptr<AudioSink> createAlsaSink(const std::string& device = "default");

// Opens the sound device with `wanted`; when no device opens, the null sink instead, so that
// playback keeps its timing on machines without sound (build servers).
std::unique_ptr<AudioSink> openDefaultSink(const AudioSink::Format& wanted, std::string* whyNull = nullptr);

} // namespace tonvela
