#pragma once
// The screen was locked or unlocked.

enum class ScreenLockEvent { locked, unlocked };
