#pragma once
// Encoded audio under a name that is not ".wav": a file that would otherwise
// be taken as bare samples and cut or joined into noise.

#include "wave/file.h"

namespace mv {

// The stream begins like a container or codec of audio (a WAVE file among
// them); leaves the stream at 0.
bool BeginsLikeAudio(ByteStream& in);
// Raises the "unsupported" box when the stream begins like a container or
// codec of encoded audio; leaves the stream at 0 otherwise.
void RefuseEncodedAudio(ByteStream& in);

}  // namespace mv
