// The whole public interface of the Vemora library in one include: the
// request, the result model, the report writers and the lint. Link vemora::vemora.
#pragma once

#include "vemora/analysis.h"
#include "vemora/lint.h"
#include "vemora/report.h"
#include "vemora/request.h"
