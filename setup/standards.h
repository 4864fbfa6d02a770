// The catalogue of test standards and the sets of standard codes that other parts of the system test.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// One row of the catalogue as the program holds it. The channel's list of catalogue entries is built
// from these rows (see BuildStandardCatalogue in setup/catalogue.h).
struct StandardCatalogueRow {
  std::string_view name;    // display name on the standard buttons and in the check-list
  std::string_view region;  // region or sector text of the check-list
  int testType;             // 0 plate, 1 compression, 2 self-balanced, 4 lateral, 5 uplift, 6 user input
  int code;                 // the standard code
  int sortGroup;            // ordering key of the selection dialog (by group, then by code)
};

inline constexpr std::size_t kStandardCount = 83;
// Parameter list item of the offered flag of catalogue position 0; position p uses item + p.
inline constexpr int kOfferedFlagItem = 130;
inline constexpr int kUserInputStandard = 9;

// The 83 rows in catalogue order (a row's index is its position).
std::span<const StandardCatalogueRow> StandardCatalogueRows();

// Code sets.
bool IsRockFoundationStandard(int code);    // 3, 58, 88, 90, 102, 119: settlements in 0.001 mm
bool IsFastMethodStandard(int code);        // 0, 4, 11, 34, 46, 53, 118: criterion fixed 0.1 mm, mode 1
bool IsNoJudgementStandard(int code);       // 7, 8, 62, 76, 144: stable settlement fixed 111 mm, mode 0
bool IsCyclicLateralStandard(int code);     // 62, 76, 144: test files ".krs"
bool IsSingleCycleLateralStandard(int code);  // 77, 93, 145: test files ".krv"
bool IsPileDiameterStandard(int code);      // 73, 74: extra field "桩径mm"
bool IsPileTipSoilStandard(int code);       // 15, 48: coarse or fine soil choice
