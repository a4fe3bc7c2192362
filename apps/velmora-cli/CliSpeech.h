#pragma once

#include "CliCommand.h"

#include <QByteArray>
#include <optional>

class TextToSpeech;

// Text rendered the way the answering machine renders it: the voice and
// volume of the settings unless --voice and --volume say otherwise.
struct CliSpeechOptions
{
    std::optional<QString> voice; // an index or a voice id
    std::optional<int> volume;
};

// Reads --voice N|ID and --volume V; false (and the usage error printed)
// when a value is bad.
bool takeSpeechOptions(CliContext& ctx, CliArgs& args, const QString& command, CliSpeechOptions& options);

// Renders the text into 8 kHz 8-bit unsigned mono; prints the reason and
// returns false when the engine is missing, the voice unknown or the text
// cannot be spoken.
bool renderSpeech(CliContext& ctx, const QString& command, const QString& text, const CliSpeechOptions& options,
                  QByteArray& audio);
