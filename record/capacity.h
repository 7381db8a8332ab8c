#pragma once
// The longest recording the free space allows, and how it limits the three
// length fields (hours, minutes, seconds).

#include <cstdint>
#include <string>

namespace mv {

struct CapacityInput {
  std::string label;          // selected recording label
  int64_t freeRecording = 0;  // bytes free where the recording is saved
  int64_t freeTemp = 0;       // ... in the temporary folder
  int64_t freeCut = 0;        // ... where the cut writes its pieces
  uint64_t keyRecording = 0;  // file-system keys: equal keys share space
  uint64_t keyTemp = 0;
  uint64_t keyCut = 0;
  bool cutAfterRecording = true;  // a third copy, on the cut's file system
};

// Capacity in seconds, rounded half to even.
int64_t CapacitySeconds(const CapacityInput& in);

// Free space and file-system keys of folders.
class FreeSpaceProvider {
 public:
  virtual ~FreeSpaceProvider() = default;
  virtual int64_t freeSpace(const std::string& folder) = 0;  // -1 when unreadable
  virtual uint64_t key(const std::string& folder) = 0;
};

// The real file systems (statvfs, st_dev).
class FileSystems : public FreeSpaceProvider {
 public:
  int64_t freeSpace(const std::string& folder) override;
  uint64_t key(const std::string& folder) override;
};

CapacityInput CapacityFor(const std::string& label, const std::string& recordingFolder,
                          const std::string& tempFolder, const std::string& cutFolder,
                          bool cutAfterRecording, FreeSpaceProvider& space);

struct LengthField {
  int32_t value = 0;
  int32_t maximum = 0;
  bool enabled = true;
};

struct LengthFields {
  LengthField hours{0, 0, true};
  LengthField minutes{0, 59, true};
  LengthField seconds{0, 59, true};
};

// Sets the maxima (and lowers the values to them) for the capacity.
void ApplyLengthLimits(int64_t capacitySeconds, LengthFields& fields);

// Division rounded to nearest, halves to even (b > 0).
int64_t RoundHalfEven(int64_t a, int64_t b);

}  // namespace mv
