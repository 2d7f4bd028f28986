#include "parser/facade/PageBudget.h"

#include <algorithm>
#include <limits>

PageBudget::PageBudget(const NBPageLimits& limits, NBProgressFn progress, void* context)
    : m_limits(limits), m_progress(progress), m_context(context) {
  if (limits.timeLimitMs != 0) {
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.timeLimitMs);
  }
}

long PageBudget::RemainingMs() const {
  if (m_deadline == std::chrono::steady_clock::time_point::max()) {
    return std::numeric_limits<long>::max();
  }
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      m_deadline - std::chrono::steady_clock::now());
  return std::max<long>(0, static_cast<long>(left.count()));
}

platform::inet::Limits PageBudget::LimitsFor(platform::inet::Limits base) const {
  long left = std::max<long>(1, RemainingMs());
  base.connectTimeoutMs = std::min(base.connectTimeoutMs, left);
  base.totalTimeoutMs = std::min(base.totalTimeoutMs, left);
  return base;
}

int PageBudget::AdmitImage() {
  if (TimeUp()) return NBP_ERR_TIME_UP;
  if (m_limits.maxImages > 0 && m_images >= m_limits.maxImages) return NBP_ERR_IMAGE_COUNT;
  if (m_limits.maxImageBytes != 0 && m_imageBytes >= m_limits.maxImageBytes) {
    return NBP_ERR_IMAGE_BYTES;
  }
  ++m_images;
  return 0;
}

std::uint64_t PageBudget::ImageAllowance(std::uint64_t cap) const {
  if (m_limits.maxImageBytes == 0) return cap;
  std::uint64_t left =
      m_imageBytes >= m_limits.maxImageBytes ? 0 : m_limits.maxImageBytes - m_imageBytes;
  return std::min(cap, left);
}

void PageBudget::Tell(NBProgress event, const std::u16string& subject, int code) const {
  if (!m_progress) return;
  m_progress(m_context, event, reinterpret_cast<const unsigned short*>(subject.c_str()), code);
}

void PageBudget::Dropped(const std::u16string& address, int reason) {
  unsigned bit = reason == NBP_ERR_IMAGE_COUNT   ? 1u
                 : reason == NBP_ERR_IMAGE_BYTES ? 2u
                 : reason == NBP_ERR_TIME_UP     ? 4u
                                                 : 0u;
  if (bit != 0) {
    if (m_boundsTold & bit) return;
    m_boundsTold |= bit;
  }
  Tell(NBProgress::kImageDropped, address, reason);
}
