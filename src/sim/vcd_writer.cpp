// VCD writer and pin trace.
#include "sim/vcd_writer.hpp"

#include <algorithm>

namespace kestrum {

VcdWriter::VcdWriter(std::ostream& out, std::string_view scope, std::vector<std::string> names,
                     const std::vector<bool>& initial, std::int64_t originUs)
    : out_(out), written_(initial), pending_(names.size()), origin_(originUs) {
  written_.resize(names.size(), false);
  // No $date: a trace of the same run is the same file.
  out_ << "$version Kestrum pin trace $end\n"
       << "$timescale 1 us $end\n"
       << "$scope module " << scope << " $end\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    out_ << "$var wire 1 " << Id(i) << ' ' << names[i] << " $end\n";
  }
  out_ << "$upscope $end\n"
       << "$enddefinitions $end\n"
       << "#0\n"
       << "$dumpvars\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    out_ << (written_[i] ? '1' : '0') << Id(i) << '\n';
  }
  out_ << "$end\n";
}

VcdWriter::~VcdWriter() {
  Finish();
}

std::string VcdWriter::Id(std::size_t signal) const {
  // Printable identifier codes from '!' on, with more characters past '~'.
  std::string id;
  do {
    id.push_back(static_cast<char>('!' + signal % 94));
    signal /= 94;
  } while (signal > 0);
  return id;
}

void VcdWriter::Change(std::size_t signal, bool level, std::int64_t timeUs) {
  if (finished_ || signal >= pending_.size()) return;
  std::int64_t t = std::max<std::int64_t>(timeUs - origin_, 0);
  if (t > pendingTime_) {
    Flush();
    pendingTime_ = t;
  }
  pending_[signal] = level;
}

void VcdWriter::Flush() {
  bool stamped = false;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    if (!pending_[i]) continue;
    bool level = *pending_[i];
    pending_[i].reset();
    if (level == written_[i]) continue;
    if (!stamped) {
      if (pendingTime_ > 0) out_ << '#' << pendingTime_ << '\n';
      stamped = true;
      lastWrittenTime_ = pendingTime_;
    }
    written_[i] = level;
    out_ << (level ? '1' : '0') << Id(i) << '\n';
  }
}

void VcdWriter::Finish(std::optional<std::int64_t> endUs) {
  if (finished_) return;
  Flush();
  std::int64_t end = lastWrittenTime_ + 1;
  if (endUs) end = std::max(end, *endUs - origin_);
  out_ << '#' << end << '\n';
  out_.flush();
  finished_ = true;
}

const std::vector<std::string>& TracePinNames() {
  static const std::vector<std::string> names{"vcc",   "mclr",    "data_out",
                                              "clock", "data_in", "card_clock"};
  return names;
}

namespace {

std::vector<bool> Levels(const TracePins& p) {
  return {p.vcc, p.mclr, p.dataOut, p.clock, p.dataIn, p.cardClock};
}

}  // namespace

void PinTrace::Record(const TracePins& pins, std::int64_t timeUs) {
  if (!writer_) {
    writer_.emplace(out_, "programmer", TracePinNames(), Levels(pins), timeUs);
    last_ = pins;
    return;
  }
  if (pins == last_) return;
  std::vector<bool> levels = Levels(pins);
  for (std::size_t i = 0; i < levels.size(); ++i) writer_->Change(i, levels[i], timeUs);
  last_ = pins;
}

void PinTrace::Finish(std::optional<std::int64_t> endUs) {
  if (writer_) writer_->Finish(endUs);
}

}  // namespace kestrum
