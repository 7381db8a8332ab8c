#pragma once
// The cuts of a source as the user edits them: those a scan found, then
// added, moved, deleted or read from a list, each step undoable. The track
// list's entries, one a piece when there is one, follow the pieces: a new
// cut gives the piece after it an empty entry, a deleted one joins its two
// pieces under the first's.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "album/track_list.h"
#include "cutlist/cut_list.h"

namespace mv {

struct EditedCut {
  int64_t frame = 0;    // where a piece after the first begins
  bool edited = false;  // placed or moved by hand, or read from a list
  bool operator==(const EditedCut&) const = default;
};

class CutEdits {
 public:
  // The cuts a scan found in frames of data: the history is cleared.
  void reset(const std::vector<int64_t>& found, int64_t frames);
  // The track list changed in its own field: taken as it is, not an edit.
  void setTracks(std::vector<Track> tracks) { now_.tracks = std::move(tracks); }

  const std::vector<EditedCut>& cuts() const { return now_.cuts; }
  const std::vector<Track>& tracks() const { return now_.tracks; }
  int64_t frames() const { return frames_; }
  // 0, then each cut.
  std::vector<int64_t> pieceStarts() const;
  // Whether the cuts differ from those found.
  bool edited() const { return now_.cuts != found_; }

  // Each refuses (false, nothing changed) what would leave an empty piece.
  std::optional<std::size_t> add(int64_t frame);
  bool move(std::size_t cut, int64_t frame);
  bool remove(std::size_t cut);
  // A list read from a file replaces the cuts; its titles, when it has
  // any, the entries.
  void load(const CutList& list);
  // The cuts as a list, titled from the entries.
  CutList list() const;

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  bool undo();
  bool redo();

 private:
  struct State {
    std::vector<EditedCut> cuts;
    std::vector<Track> tracks;
  };
  void record();
  bool tracked() const { return now_.tracks.size() == now_.cuts.size() + 1; }

  State now_;
  std::vector<EditedCut> found_;
  int64_t frames_ = 0;
  std::vector<State> undo_, redo_;
};

}  // namespace mv
