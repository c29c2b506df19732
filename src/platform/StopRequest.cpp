#include "StopRequest.h"

#include "StopSignals.h"

bool StopRequest::isRequested() const noexcept
{
    return m_requested.load(std::memory_order_relaxed) || StopSignals::received();
}

bool StopRequest::isRequested(const StopRequest *request) noexcept
{
    return request ? request->isRequested() : StopSignals::received();
}
