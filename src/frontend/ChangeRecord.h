// ChangeRecord: the changes a user makes to a run while it grows, as the script's `at` lines
// record them, with the undo and redo of whole changes. Owns its entries and the undone ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rdsimul/ScheduledChange.h"

class ChangeRecord {
public:
    // No line of the block is longer than this (without its line end).
    static constexpr size_t MaxLineLength = 200;
    // The comment line that heads the block at the end of the script.
    static constexpr std::string_view BlockHeading = "// Changes recorded while the texture grew";

    // One change the user made at one slice boundary: the `at` lines it became, in order.
    struct Entry {
        std::vector<ScheduledChange> Lines;
    };

    // Records change as made after change.Time iterations: the numbers rounded to single
    // precision as the script reads them back, a paint's repeated centres dropped and its
    // centres spread over lines of at most MaxLineLength characters. The undone changes are
    // forgotten. Returns the lines recorded, which are what the run must apply to give the bits
    // a replay gives; empty (nothing recorded) for a change no `at` line can hold. With
    // joinLast the lines go on the last entry (one brush stroke over several slices is undone
    // as a whole); a new entry when there is none.
    std::vector<ScheduledChange> Record(const ScheduledChange &change, int modelIndex,
                                        bool joinLast = false);
    // Takes back the last entry (kept for Redo): false when there is none.
    bool Undo();
    // Puts back the last undone entry: false when there is none.
    bool Redo();
    // Forgets every entry and every adopted line.
    void Clear();
    // Starts from the block script already holds (its `at` lines kept as they are written, ahead
    // of the entries; undo never takes them back). The entries are forgotten.
    void Adopt(std::string_view script);

    const std::vector<Entry> &Entries() const { return Done; }
    bool CanUndo() const { return !Done.empty(); }
    bool CanRedo() const { return !Undone.empty(); }
    // Every line of the record, in order.
    std::vector<ScheduledChange> Changes() const;

    // The `at` line of change, without line end; modelIndex names a parameter by the model
    // table's name where the key is one of its parameters.
    static std::string FormatLine(const ScheduledChange &change, int modelIndex);
    // A number in single precision as the shortest plain decimal (no exponent) that reads back
    // as the same float.
    static std::string FormatNumber(double value);
    // script with the record as a block at its end, under BlockHeading: an earlier block (the
    // heading and the `at` lines after it) is replaced where it stands, every other byte kept;
    // an empty record removes the block.
    std::string WithBlock(std::string_view script, int modelIndex) const;

private:
    std::vector<std::string> Adopted;  // the lines of the block found by Adopt
    std::vector<Entry> Done;
    std::vector<Entry> Undone;
};
