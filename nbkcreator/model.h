// The content of an NBK file as plain values: what the reader gives back and what the writer's
// sections are encoded from. Object ids are the ids the writer gave its objects (0 = none).
// The values are public (hosts read books with them), so they live in the reader's header.
#pragma once

#include "contracts/NBKReader.h"
#include "nbkcreator/format.h"
