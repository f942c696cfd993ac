// The whole public interface of the Vemora library in one include: the
// request, the result model and the report writers. Link vemora::vemora.
#pragma once

#include "vemora/analysis.h"
#include "vemora/report.h"
#include "vemora/request.h"
