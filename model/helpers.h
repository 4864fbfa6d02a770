// Small shared helpers: decimal rounding, numeric-entry checks, text splitting and conversion, the
// elapsed-time text, file tests, a random number, parallel jacks, the storage folders of the two boards,
// the key-click beep and the file name made from typed text. No state and no locks unless noted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rounds to `mode` decimals (2 or 3; any other value counts as 3), half to the even digit. Non-finite
// values and values of 1e9 or more in size are returned unchanged.
float RoundHalfEven(float value, int mode);

// True for a decimal number: digits with at most one '.', not first or last, and at most one leading
// '-' (a lone "-" is not a number).
bool IsValidNumber(const std::string& text);

// Splits `text` at each `delimiter`. With at least one delimiter, `pieces` becomes the count + 1 pieces
// and `count` the number of delimiters; with none (or an empty delimiter), count is -1 and pieces is
// left as it was.
void SplitString(const std::string& text, std::vector<std::string>& pieces, int& count,
                 const std::string& delimiter);

// The value as a decimal text with `minDecimals` decimals, or with as many more (up to 9) as it takes
// to read back as the same float: a value typed with more decimals keeps them all ("0.785" with 2 at
// least stays "0.785", 0.5 gives "0.50").
std::string ExactDecimalText(float value, int minDecimals);

// Seconds of day as "%02d : %02d : %02d" (86400 is taken off once when above 86399).
std::string FormatSeconds(int seconds);
// A time of day of the instrument's clock (seconds of day) as a channel's test clock, `shift` seconds
// apart from it, shows that moment: "%02d : %02d : %02d".
std::string TestClockTimeText(int secondsOfDay, std::int64_t shift);

// The number at the start of the text (leading blanks skipped); 0.0 when the text holds no number.
float StrToFloat(const std::string& text);

// True when the file or folder (given with a trailing backslash) exists.
bool FileExists(const std::string& path);

// True when a small file can be written into the folder (given with a trailing backslash) and removed
// again: storage that is there but takes no writes (read-only or full) gives false.
bool StorageTakesWrites(const std::string& folder);

// True when every character is a digit 0-9 (an empty text is true).
bool IsAllDigits(const std::string& text);

// A pseudo-random number 0..RAND_MAX; the generator is seeded once, from the clock. Thread-safe.
int GetRandom();

// Combined regression coefficients of n jacks in parallel; jacks with b = 0 are skipped; both 0 when no
// jack has a non-zero b.
void CombineParallelJacks(const float* a, const float* b, int n, float& outA, float& outB);

// Storage folders by board flag (1: the board with "\nandflash\"; any other value counts as 0).
std::string GetDataRoot(int boardFlag);     // SD-card folder when present, else the program root
std::string GetProgramRoot(int boardFlag);  // "\nandflash\" or "\DISK\"
std::string GetSdCardDir(int boardFlag);    // "\Storage Card\" or "\Storage_Card\"
std::string GetUsbDiskRoot(int boardFlag);  // "\Hard Disk\" or "\硬盘\"

// The 50 ms key-click and alert beep of the board buzzer ("UDC1:" on board 1, else "MSC1:"). A device
// that cannot be opened makes no sound. Returns 1.
int ShortBeep(int boardFlag);

// A file name made from typed text (serial number, pile number, external serial number): each of
// \ / : * ? " < > | becomes '_'. Every path built from such a text goes through it.
std::string FileNameFromText(const std::string& text);
