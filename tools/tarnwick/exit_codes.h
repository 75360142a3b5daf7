// Exit codes of the tarnwick tool.
#pragma once

namespace tarnwick::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeclined = 3;   // a person answered No to the driver's question
inline constexpr int kExitAborted = 130;  // 128 + SIGINT, as shells report it

}  // namespace tarnwick::cli
