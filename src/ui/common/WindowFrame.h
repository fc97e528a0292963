#pragma once
// The window layouts give outer sizes, frame and title bar included, as drawn by the desktop
// they were made on: a frame of four pixels a side and a title bar that makes the frame 27
// pixels in height all told. Qt sizes a window's client area, so every window takes its outer
// size less this frame, and all of them keep the proportions of their layouts alike.

inline constexpr int kLayoutFrameWidth = 8;
inline constexpr int kLayoutFrameHeight = 27;
