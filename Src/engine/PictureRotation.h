// Pictures that their stream asks to be shown turned (a display matrix, as phones write for
// video filmed upright) are turned upright before they are scaled and encoded, since few
// encoders and containers can carry the request on.
#pragma once

#include "binding/MediaPointers.h"

// Degrees clockwise (0, 90, 180 or 270) that the stream's pictures must be turned to stand
// upright; 0 when the stream asks nothing, or for an angle that is no quarter turn.
int UprightRotation(const AVStream* Stream);

// A quarter turn swaps a picture's width and height.
inline bool TurnsOnSide(int Rotation) {
  return Rotation == 90 || Rotation == 270;
}

// Turns pictures by a fixed rotation through a small filter graph, which is made again when
// the pictures' size or pixel format changes.
class TPictureTurner {
 public:
  // LogOwner goes into the graph's opaque field (see TCustomFFmpeg::MarkLogOwner).
  TPictureTurner(int Rotation, void* LogOwner) : rotation_(Rotation), logOwner_(LogOwner) {}

  // Replaces the picture by its upright form, keeping its properties. Raises FFMpegException
  // with the libraries' reason when the graph cannot be made or does not answer.
  void Turn(AVFrame* Picture);

 private:
  int Configure(const AVFrame* Picture);

  int rotation_;
  void* logOwner_;
  TFilterGraphPtr graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  int width_ = 0, height_ = 0, format_ = -1;
  TFramePtr turned_;
};
