#include "engine/SideFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "binding/MyUtils.h"
#include "engine/DescriptorIo.h"
#include "engine/FFmpeg.h"

namespace {

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;

bool IsRegularFile(int descriptor) {
  struct stat info {};
  return ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
}

TSideFiles& SideFilesOf(AVFormatContext* context) {
  // The engine's contexts carry it in their opaque field, and the muxers that nest
  // contexts hand it and these callbacks on to them.
  return static_cast<TCustomFFmpeg*>(context->opaque)->SideFiles();
}

int OpenCallback(AVFormatContext* context, AVIOContext** stream, const char* url, int flags,
                 AVDictionary** options) {
  return SideFilesOf(context).OpenForMuxer(context, stream, url, flags, options);
}

int CloseCallback(AVFormatContext* context, AVIOContext* stream) {
  return SideFilesOf(context).CloseForMuxer(stream);
}

}  // namespace

TSideFiles::~TSideFiles() {
  Release();
}

int TSideFiles::AddOutput(const std::string& Path, const TFileIdentity& Identity,
                          const std::string& Temporary) {
  const std::size_t slash = Path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : Path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? Path : Path.substr(slash + 1);
  const int descriptor = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return errno;
  struct stat added {};
  ::fstat(descriptor, &added);
  std::size_t index = folders_.size();
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    struct stat known {};
    if (::fstat(folders_[i].Descriptor, &known) == 0 && known.st_dev == added.st_dev &&
        known.st_ino == added.st_ino)
      index = i;
  }
  if (index == folders_.size())
    folders_.push_back({slash == std::string::npos ? "" : folder, descriptor});
  else
    ::close(descriptor);
  if (Identity.Known() && !Temporary.empty()) {
    const std::size_t cut = Temporary.rfind('/');
    files_.push_back(
        {index, cut == std::string::npos ? Temporary : Temporary.substr(cut + 1), Identity, 1});
    temporaries_[Path] = Temporary;
  }
  return 0;
}

void TSideFiles::Attach(AVFormatContext* Context) {
  Context->io_open = OpenCallback;
  Context->io_close2 = CloseCallback;
}

bool TSideFiles::Locate(const std::string& Path, std::size_t& Folder, std::string& Name,
                        std::string& Reason) const {
  if (folders_.empty()) {
    Reason = "the output is not a local file, so there is no folder to put it in";
    return false;
  }
  const std::size_t slash = Path.rfind('/');
  Name = slash == std::string::npos ? Path : Path.substr(slash + 1);
  if (Name.empty() || Name == "." || Name == "..") {
    Reason = SystemReason(EISDIR);
    return false;
  }
  Folder = 0;
  if (slash == std::string::npos) return true;
  struct stat named {};
  const std::string folder = slash == 0 ? "/" : Path.substr(0, slash);
  if (::stat(folder.c_str(), &named) == 0) {
    for (std::size_t i = 0; i < folders_.size(); ++i) {
      struct stat known {};
      if (::fstat(folders_[i].Descriptor, &known) == 0 && known.st_dev == named.st_dev &&
          known.st_ino == named.st_ino) {
        Folder = i;
        return true;
      }
    }
  }
  Reason = "it lies outside the output's folder" +
           (folders_[0].Path.empty() ? std::string() : " " + folders_[0].Path);
  return false;
}

std::string TSideFiles::PathOf(std::size_t Folder, const std::string& Name) const {
  return folders_[Folder].Path + Name;
}

int TSideFiles::CreateNew(const std::string& Name, TPlace& Place, std::string& Path,
                          std::string& Reason) {
  Path = Name;
  if (!Locate(Name, Place.Folder, Place.Name, Reason)) return -1;
  Path = PathOf(Place.Folder, Place.Name);
  // O_EXCL also refuses a link of any kind at the name, dangling or not.
  const int descriptor =
      ::openat(folders_[Place.Folder].Descriptor, Place.Name.c_str(), kCreateFlags, 0666);
  if (descriptor < 0) Reason = SystemReason(errno);
  return descriptor;
}

FILE* TSideFiles::StreamOf(int Descriptor, const TPlace& Place, std::string& Reason) {
  FILE* file = ::fdopen(Descriptor, "w");
  if (!file) {
    Reason = SystemReason(errno);
    ::unlinkat(folders_[Place.Folder].Descriptor, Place.Name.c_str(), 0);
    ::close(Descriptor);
  }
  return file;
}

FILE* TSideFiles::CreateTwoPassLog(const std::string& Name, std::string& Path,
                                   std::string& Reason) {
  TPlace place;
  const int descriptor = CreateNew(Name, place, Path, Reason);
  if (descriptor < 0) return nullptr;
  // Held until the end, so that the removal can tell the name still stands for this file.
  const int held = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (held < 0) Reason = SystemReason(errno);
  FILE* file = held < 0 ? nullptr : StreamOf(descriptor, place, Reason);
  if (!file) {
    ::close(held < 0 ? descriptor : held);
    return nullptr;
  }
  logs_.push_back({place.Folder, place.Name, held, true});
  return file;
}

bool TSideFiles::ReadTwoPassLog(const std::string& Name, std::string& Path, std::string& Text,
                                std::string& Reason) {
  TPlace place;
  Path = Name;
  if (!Locate(Name, place.Folder, place.Name, Reason)) return false;
  Path = PathOf(place.Folder, place.Name);
  // Not through a link, and not a pipe that would hold the job in open.
  const int descriptor = ::openat(folders_[place.Folder].Descriptor, place.Name.c_str(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) {
    Reason = errno == ELOOP ? "it is a link, which is not followed" : SystemReason(errno);
    return false;
  }
  logs_.push_back({place.Folder, place.Name, descriptor, false});
  if (!IsRegularFile(descriptor)) {
    Reason = "it is not a regular file";
    return false;
  }
  Text.clear();
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t result = ::read(descriptor, buffer, sizeof buffer);
    if (result < 0 && errno == EINTR) continue;
    if (result < 0) {
      Reason = SystemReason(errno);
      return false;
    }
    if (result == 0) return true;
    Text.append(buffer, static_cast<std::size_t>(result));
  }
}

FILE* TSideFiles::CreateStatistics(const std::string& Name, std::string& Path,
                                   std::string& Reason) {
  TPlace place;
  const int descriptor = CreateNew(Name, place, Path, Reason);
  return descriptor < 0 ? nullptr : StreamOf(descriptor, place, Reason);
}

void TSideFiles::RemoveLog(const TTwoPassLog& Log) const {
  // Only while the name still stands for the file held open: then no other file can have
  // its inode.
  const TFileIdentity held = IdentityOf(Log.Descriptor);
  struct stat named {};
  if (held.Known() &&
      ::fstatat(folders_[Log.Folder].Descriptor, Log.Name.c_str(), &named, AT_SYMLINK_NOFOLLOW) ==
          0 &&
      S_ISREG(named.st_mode) && named.st_dev == held.Device && named.st_ino == held.Inode)
    ::unlinkat(folders_[Log.Folder].Descriptor, Log.Name.c_str(), 0);
}

void TSideFiles::JobCompleted() {
  for (TTwoPassLog& log : logs_) {
    if (!log.Written) RemoveLog(log);
    ::close(log.Descriptor);
  }
  logs_.clear();
}

void TSideFiles::Release() {
  for (const TTwoPassLog& log : logs_) {
    if (log.Written) RemoveLog(log);
    ::close(log.Descriptor);
  }
  logs_.clear();
  // Streams a muxer never closed: their contexts are gone with the muxer.
  for (auto& [context, stream] : streams_) {
    AVIOContext* left = context;
    lib::av_freep(&left->buffer);
    lib::avio_context_free(&left);
    ::close(stream->Descriptor);
  }
  streams_.clear();
  files_.clear();
  temporaries_.clear();
  for (const TFolder& folder : folders_) ::close(folder.Descriptor);
  folders_.clear();
  lastRefusal_.clear();
}

int TSideFiles::Refuse(const std::string& Path, int ErrorNumber, const std::string& Reason) {
  lastRefusal_ = "'" + Path + "': " + Reason;
  return AVERROR(ErrorNumber);
}

int TSideFiles::OpenWriting(const std::string& Path, std::size_t& File) {
  std::size_t folder = 0;
  std::string name, reason;
  if (!Locate(Path, folder, name, reason)) return Refuse(Path, EPERM, reason);
  const int folderDescriptor = folders_[folder].Descriptor;
  int descriptor = ::openat(folderDescriptor, name.c_str(), kCreateFlags, 0666);
  if (descriptor >= 0) {
    files_.push_back({folder, name, IdentityOf(descriptor), 0});
    File = files_.size() - 1;
    return descriptor;
  }
  if (errno != EEXIST) return Refuse(PathOf(folder, name), errno, SystemReason(errno));
  // A file this job made may be written again (a playlist after each segment, a picture
  // that is updated), but only while it is still that file, unchanged since.
  for (std::size_t i = files_.size(); i-- > 0;) {
    TCreatedFile& created = files_[i];
    if (created.Folder != folder || created.Name != name) continue;
    descriptor = ::openat(folderDescriptor, name.c_str(),
                          O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    const TFileIdentity found = descriptor < 0 ? TFileIdentity{} : IdentityOf(descriptor);
    const bool same =
        IsRegularFile(descriptor) &&
        (created.OpenCount > 0 ? found.SameFileAs(created.Identity) : found == created.Identity);
    if (same && ::ftruncate(descriptor, 0) == 0) {
      File = i;
      return descriptor;
    }
    if (descriptor >= 0) ::close(descriptor);
    return Refuse(PathOf(folder, name), EEXIST, "another file has taken its name");
  }
  return Refuse(PathOf(folder, name), EEXIST, SystemReason(EEXIST));
}

int TSideFiles::OpenReading(const std::string& Path) {
  // Only a file of this job's is read back (a muxer moving its index to the front): the
  // name may lead anywhere, what counts is the file found.
  const auto temporary = temporaries_.find(Path);
  const std::string& opened = temporary == temporaries_.end() ? Path : temporary->second;
  const int descriptor = ::open(opened.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return Refuse(Path, errno, SystemReason(errno));
  const TFileIdentity found = IdentityOf(descriptor);
  for (const TCreatedFile& created : files_)
    if (found.SameFileAs(created.Identity) &&
        (created.OpenCount > 0 || found == created.Identity) && IsRegularFile(descriptor))
      return descriptor;
  ::close(descriptor);
  return Refuse(Path, EPERM, "it is not a file this conversion wrote");
}

int TSideFiles::OpenForMuxer(AVFormatContext* Context, AVIOContext** Stream, const char* Url,
                             int Flags, AVDictionary** Options) {
  (void)Context;
  (void)Options;
  std::string path = Url ? Url : "";
  if (IsUrl(path) && path.compare(0, 5, "file:") != 0) {
    // A network address: nothing on this machine's disks.
    return lib::avio_open(Stream, path.c_str(), Flags);
  }
  // The engine hands the muxers local names as "file:" + name.
  if (path.compare(0, 5, "file:") == 0) path.erase(0, 5);
  const bool writing = (Flags & AVIO_FLAG_WRITE) != 0;
  std::size_t file = kNotCreated;
  const int descriptor = writing ? OpenWriting(path, file) : OpenReading(path);
  if (descriptor < 0) return descriptor;
  auto stream = std::make_unique<TOpenStream>(TOpenStream{descriptor, file});
  AVIOContext* context = NewDescriptorByteStream(&stream->Descriptor, writing);
  if (!context) {
    ::close(descriptor);
    return AVERROR(ENOMEM);
  }
  if (file != kNotCreated) ++files_[file].OpenCount;
  streams_.emplace(context, std::move(stream));
  *Stream = context;
  return 0;
}

int TSideFiles::CloseForMuxer(AVIOContext* Stream) {
  if (!Stream) return 0;
  const auto found = streams_.find(Stream);
  if (found == streams_.end()) return lib::avio_closep(&Stream);
  const std::unique_ptr<TOpenStream> stream = std::move(found->second);
  streams_.erase(found);
  int result = 0;
  if (Stream->write_flag) {
    lib::avio_flush(Stream);
    result = Stream->error;
  }
  lib::av_freep(&Stream->buffer);
  lib::avio_context_free(&Stream);
  if (stream->File != kNotCreated) {
    TCreatedFile& created = files_[stream->File];
    // What the file is like as this job leaves it: a later open finds it so, or refuses.
    created.Identity = IdentityOf(stream->Descriptor);
    --created.OpenCount;
  }
  if (::close(stream->Descriptor) != 0 && result == 0) result = AVERROR(errno);
  return result;
}

std::string UnsafeMuxerReason(const AVFormatContext* Output, bool Local) {
  const AVOutputFormat* format = Output->oformat;
  const std::string name = format->name;
  // These write through contexts of their own, past the engine's opening of files.
  if (name == "tee" || name == "fifo" || name == "fifo_test")
    return "the " + name + " format opens its files itself";
  // Of the formats that open their files by name, these create them all through the
  // callbacks and, as the option text can set them, never rename or remove one.
  if (Local && (format->flags & AVFMT_NOFILE) && name != "image2" && name != "hls" &&
      name != "segment" && name != "stream_segment,ssegment" && name != "null")
    return "the " + name + " format renames or removes files by itself";
  return {};
}
