// The data files of a channel: the test data file with its "Backup\" copy and the header records it
// carries, the running state kept in header texts and the per-second text export, the upload queue
// files, the jack calibration data and jack/sensor lists, and the platform text frame.
//
// All routines return 1 on success and 0 on failure and show no message; the callers decide.
//
// Power safety of the test data file and the queue files: a record that has been written survives a
// power loss whatever moment the power goes. Records added at the end of a file are written at their own
// offset and flushed (a cut leaves at most a partial last record, which a reload ignores and the next
// write overwrites). Every write over bytes already in a file (a reading over its header record or over
// the end record, header text rewrites, "OVER" marks) goes through a small journal beside the file
// (name + ".jrn"): the new bytes are written and flushed there first, then into the file, then the
// journal's entry is marked done; a load or the next write finishes an interrupted one. So each such
// write is either wholly done or not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/parameter.h"

namespace JDQFile {

// ---------------------------------------------------------------------------------------------------
// Test data file: fixed-size records, record k at k x 311 (267 in the older "kbx" layout).

// Encodes one record in the 311-byte file layout / decodes it from the 311- or 267-byte layout.
void EncodeTestRecord(const TestRecord& record, byte* out311);
void DecodeTestRecord(const byte* in, bool oldLayout, TestRecord& record);
// A record holding no reading: marker and stepMark "11111", time "99999", everything else zero.
TestRecord BlankTestRecord();
// Sets the marks of a record without a reading, leaving its other fields.
void SetEmptyMarks(TestRecord& record);

// The "Backup\" copy of a test file: SD-card folder of the board + "Backup\" + the file's name.
std::string BackupPathFor(const std::string& path, int boardFlag);

// Creates (or empties) the test file with records 0..73 of the list; then the backup copy.
int CreateTestFile(const std::string& path, const std::vector<TestRecord>& records,
                   const Parameter& parameter);
// Writes list record k at k x 311 in the existing file; then the backup copy. Records missing between
// the file's end and k are written from the list first, so the file never holds a gap.
int WriteRecord(const std::string& path, int k, const std::vector<TestRecord>& records,
                const Parameter& parameter);
// Writes what one recorded reading changes, as one set of writes to the file and one to its copy: the
// reading's record k, the end record k + 1 when it lies past the header (k + 1 > 73), the running header
// texts (those of UpdateHeaderTexts) and, with `extraTexts`, tail1 of records 0..15. Overwrites are
// all or none across a power loss; only bytes that differ from the file's are rewritten.
int WriteReading(const std::string& path, int k, bool extraTexts, const std::vector<TestRecord>& records,
                 const Parameter& parameter);
// The rewrites below change only the bytes that differ from the file's (all or none across a power loss).
// Rewrites text1, text2, text3 of records 0..73 (`number` is ignored).
int UpdateAllHeaderTexts(const std::string& path, int number, const std::vector<TestRecord>& records,
                         const Parameter& parameter);
// Rewrites tail1 of records 0..15 (`number` is ignored).
int UpdateHeaderExtraTexts(const std::string& path, int number, const std::vector<TestRecord>& records,
                           const Parameter& parameter);
// Rewrites text1, text2, text3 of records 4, 7, 13, 14, 15, 16, 18, 31 and 41..62 (`number` ignored).
int UpdateHeaderTexts(const std::string& path, int number, const std::vector<TestRecord>& records,
                      const Parameter& parameter);
// Rewrites text1, text2, text3 of record k.
int UpdateOneRecordText(const std::string& path, int k, const std::vector<TestRecord>& records,
                        const Parameter& parameter);
// The most records a test file can hold (readings and the end record); a longer file is refused.
inline constexpr int kMaxTestRecords = 20000;
// Reads the whole file into the list and appends one end record. A file of fewer than 73 whole
// records, of more than kMaxTestRecords + 1, or one that cannot be opened, leaves the list as it was and
// gives 0.
int LoadTestFile(const std::string& path, std::vector<TestRecord>& records);

// Takes up a running test's file together with its "Backup\" copy (where the SD card holds one), so
// that the two hold the same readings: a power cut between the two writes of a reading, or a write to
// one of them that failed, leaves one a reading behind the other, and a damaged record of one is whole
// in the other. Record by record the better of the two is taken: a reading (its marker "hh:mm" or
// "--:--"), else an empty record ("11111"), the test file's on a tie; when the copy holds more readings
// from the first on, the header texts are the copy's (they carry its later running state). The list
// runs over the header records, the readings and the end record after them. Both files are brought to
// it, only differing records rewritten (all or none across a power loss) and a longer tail that holds
// no reading cut off; `records` becomes the list with one end record appended, as LoadTestFile gives
// it. False, with nothing written and `records` left, when some record of the list is neither a reading
// nor an empty record in either file: that is no test file to go on with. A file of the older "kbx"
// layout is taken as loaded (true when `records` holds it).
bool MendTestCopies(const std::string& path, std::vector<TestRecord>& records, const Parameter& parameter);
// Whether every record of a list is a reading or an empty record, as every writer of a test file
// leaves them.
bool LooksLikeTestRecords(const std::vector<TestRecord>& records);

// ---------------------------------------------------------------------------------------------------
// Header records: rebuilds the 74 header records of `testRecords` from the channel; sets `fileLoaded`
// and resets the three 12-entry sensor tables. Returns 1.
int BuildHeaderRecords(Parameter& parameter);

// Reads a header text of the list as UTF-8 (empty when the record is missing). field: 1, 2 or 3.
std::string HeaderText(const std::vector<TestRecord>& records, int index, int field);
// Writes a header text (GBK, cut between characters, terminated); nothing when the record is missing.
void SetHeaderText(std::vector<TestRecord>& records, int index, int field, const std::string& utf8);

// ---------------------------------------------------------------------------------------------------
// Upload queue files: 128-byte slots; which = 0 queue 0 (`moduleQueue`, ".gps"), 1 queue 1
// (`boxQueue`, ".gpsw"). Each routine takes the channel's `queueLock`: callers must not hold it.
//
// mode 0 appends the build buffer `queueBuild` as a new slot; the slot's index goes to *slot when given
// (QueueRecord::kNoSlot when the append failed).
// mode 1 marks slot *slot "OVER"; a slot that begins "OVER" or "0000", or *slot == kNoSlot, marks
// nothing. Without a slot (nullptr) it marks the first slot that begins neither "OVER" nor "0000".
// Afterwards, when no re-send holds the file, no keep flag is set, no test runs and none of its slots
// is left to send, the file is deleted and the stored paths that name it emptied (an emptied queue in
// memory does not count). Returns 0 when the file cannot be opened or written.
int WriteQueueFile(const std::string& text, int mode, int which, Parameter& parameter,
                   std::int64_t* slot = nullptr);
// Replaces the queue by the pending slots of its file, each element carrying its slot index and the
// file.
int LoadQueueFile(const std::string& text, int number, int which, Parameter& parameter);
// The same from the queue file at `path` (a stored file sent again), the channel's own queue-file
// paths left as they are. Returns 0 when the file cannot be read (the queue is then unchanged).
int LoadQueueFileAt(const std::string& path, int which, Parameter& parameter);
// Slots of a queue file that a reload would send (neither "OVER" nor "0000"); -1 when the file cannot
// be read. With the three channels, read under their `queueLock`s, so no queue-file write of any
// channel runs meanwhile (callers must not hold them).
int CountPendingSlots(const std::string& path, Parameter* const channels[3] = nullptr);
// Appends the build buffer to the queue file and to the tail of the queue in one step (the element
// carries its slot and the file, or kNoSlot when the file could not take it). Returns the result of the
// file append.
int EnqueueRecord(Parameter& parameter, int which);
// Removes the head of the queue and marks its slot "OVER" in the record's own queue file, in one step.
// Returns 0 when the queue is empty or the mark could not be written.
int AcknowledgeHead(Parameter& parameter, int which);
// Marks slot `slot` "OVER" in the queue file `file` that an accepted record came from (whatever the
// channel's paths name now); a slot already skipped, kNoSlot or a file that is gone marks nothing.
// Then the file is deleted as by WriteQueueFile when nothing holds it and none of its slots is left to
// send: a re-send or the keep flag holds any file, the channel's running test the files it writes.
// Returns 0 when the mark could not be written.
int MarkQueueRecord(Parameter& parameter, const std::string& file, std::int64_t slot);

// ---------------------------------------------------------------------------------------------------
// Jack calibration data "QJDdat.dat" and the jack/sensor lists "qjd.qjd" / "qjd.cgq" (data root).

// A group with empty names, value 2 = 1000.0, value 3 = 5 and every other value 0.
JackCalibrationGroup DefaultJackGroup();
// Writes groups 0..9 (missing groups as default groups) in the 148-byte layout, replacing the file.
int SaveJackData(const std::vector<JackCalibrationGroup>& list, const Parameter& parameter);
// Reads the file over groups 0, 1, ... of the list; records beyond the list's size are not read.
int LoadJackData(std::vector<JackCalibrationGroup>& list, const Parameter& parameter);
// Selects the calibration group that fits the settings among the groups read from the file and fills
// `selectedJackGroup` and `jackCalibration`. 0 when the file cannot be read or no group fits (a group
// whose values are not all finite numbers, as a damaged file gives, never fits).
int SelectJackGroup(int sensorType, int option, const std::string& sensorText,
                    const std::string& jackText, Parameter& parameter);
// Loads the jack (or sensor) list into `jackSensorList` and copies the first entry with this name and
// number into `currentJack`. 1 when such an entry exists.
int LoadJackSensorLists(const std::string& name, int number, Parameter& parameter);

// ---------------------------------------------------------------------------------------------------
// Platform text frame "$ZRV1.2|...|*XX" + "ZREND&" for the channel's last reading (UTF-8 text; its
// checksum is that of its GBK form, which the sender transmits).
void BuildPlatformText(const Parameter& parameter, std::string& out, int number);
// The checksum of a frame's bytes: sum from the byte after the leading "$" up to the last "|",
// modulo 256 (0 for a frame shorter than two bytes).
int PlatformTextChecksum(const std::string& gbkFrame);

}  // namespace JDQFile

// ---------------------------------------------------------------------------------------------------
// Operations of the main window on a channel with a test in progress (the main window calls them).

// Writes the running state of the test into header texts of `testRecords`. Returns 1.
int UpdateStateRecords(Parameter& parameter);
// Appends the per-second samples of `exportRecords` to the UTF-16LE text files B + ".txt" (even
// positions) and B + "BL.txt" (odd positions), B being the test file path without its extension.
// Returns 1 when both were written, 0 when either could not be opened or written.
int AppendTextExport(Parameter& parameter);
