#pragma once

// Exit statuses shared by the tool's commands.
namespace cli {

constexpr int kAllPlaced = 0;
constexpr int kSuccess = 0;  // render did its work
constexpr int kUsageOrIoError = 1;
constexpr int kRequestRejected = 2;
constexpr int kItemsUnplaced = 3;

}  // namespace cli
