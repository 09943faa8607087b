// Bad inputs made from a good clip: the damage people's files come with (cut downloads,
// overwritten stretches, lying headers, renamed pictures) and paths that are no files.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "TestMedia.h"
#include "TestSupport.h"

class TBadInputCorpus {
 public:
  static constexpr int kPartFrames = 50;

  // clip: an AVI of MPEG-4 video and MP2 sound to damage.
  explicit TBadInputCorpus(const std::string& clip) : clip_(Read(clip)) {
    TClipRecipe part;
    part.formatName = "mpegts";
    part.frames = kPartFrames;
    part.audioSeconds = kPartFrames / 25.0;
    MakeClip(folder_.File("part.ts"), part);
  }

  std::string ZeroBytes() const { return Write("zero.avi", ""); }
  std::string RandomBytes() const { return Write("random.mp4", Noise(64 * 1024, 1)); }
  std::string Folder() const {
    std::filesystem::create_directories(folder_.File("folder.avi"));
    return folder_.File("folder.avi");
  }
  std::string Missing() const { return folder_.File("missing.avi"); }
  std::string SymlinkLoop() const {
    const std::string path = folder_.File("loop.avi");
    std::error_code ignored;
    std::filesystem::create_symlink(path, path, ignored);
    return path;
  }
  // A named pipe nobody writes into: opening it for reading would wait for ever.
  std::string NamedPipe() const {
    const std::string path = folder_.File("pipe.avi");
    ::mkfifo(path.c_str(), 0600);
    return path;
  }
  std::string Unreadable() const {
    const std::string path = Write("unreadable.avi", clip_);
    ::chmod(path.c_str(), 0);
    return path;
  }
  // The clip's first fraction, as a download that stopped.
  std::string Truncated(double kept) const {
    return Write("truncated" + std::to_string(static_cast<int>(kept * 100)) + ".avi",
                 clip_.substr(0, static_cast<std::size_t>(clip_.size() * kept)));
  }
  std::string GarbageMiddle() const {
    std::string bytes = clip_;
    const std::size_t begin = bytes.size() * 4 / 10;
    const std::string noise = Noise(bytes.size() / 5, 2);
    bytes.replace(begin, noise.size(), noise);
    return Write("garbage-middle.avi", bytes);
  }
  // The AVI's headers claim 60000x60000 pictures; the stream inside is small.
  std::string HugeFrameAvi() const {
    std::string bytes = clip_;
    for (const char* chunk : {"avih", "strf"}) {
      const std::size_t at = bytes.find(chunk);
      if (at == std::string::npos) continue;
      // avih: width and height at 32 and 36 of its data; strf (BITMAPINFOHEADER): 4 and 8.
      const std::size_t data = at + 8;
      const std::size_t width = std::strcmp(chunk, "avih") == 0 ? data + 32 : data + 4;
      PutLittleEndian(bytes, width, 60000);
      PutLittleEndian(bytes, width + 4, 60000);
    }
    return Write("huge-frame.avi", bytes);
  }
  // Raw pictures of 16000x16000 announced, a few bytes given.
  std::string HugeFrameY4m() const {
    return Write("huge-frame.y4m",
                 "YUV4MPEG2 W16000 H16000 F25:1 Ip A1:1 C420jpeg\nFRAME\n" + Noise(4096, 3));
  }
  // Two transport streams joined: every time stamp of the second jumps back to the start.
  std::string TimestampsJumpingBack() const {
    const std::string part = Read(folder_.File("part.ts"));
    return Write("jumping-back.ts", part + part);
  }
  // A 64x48 bitmap picture named as a video.
  std::string PictureAsAvi() const {
    constexpr int kWidth = 64, kHeight = 48;
    const std::uint32_t pixels = kWidth * kHeight * 3;
    std::string bmp = "BM";
    bmp.resize(54);
    PutLittleEndian(bmp, 2, 54 + pixels);
    PutLittleEndian(bmp, 10, 54);
    PutLittleEndian(bmp, 14, 40);
    PutLittleEndian(bmp, 18, kWidth);
    PutLittleEndian(bmp, 22, kHeight);
    PutLittleEndian(bmp, 26, 1 | (24 << 16));  // planes, bits per pixel
    PutLittleEndian(bmp, 34, pixels);
    for (std::uint32_t i = 0; i < pixels; ++i) bmp.push_back(static_cast<char>(i * 7));
    return Write("picture.avi", bmp);
  }

 private:
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  }
  static void PutLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = folder_.File(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
  }

  TTempFolder folder_;
  std::string clip_;
};
