#pragma once
// The engine's plain functions in one include, for the windows and the
// command line: quick extraction and creation, archive identification, the
// comment handle, the ratio, UU coding and cancel. Every function runs on the
// calling thread and returns a result code.
#include "engine/cancel.h"
#include "engine/functions/kx_comment.h"
#include "engine/functions/kx_identify.h"
#include "engine/functions/kx_percent.h"
#include "engine/functions/kx_quick.h"
#include "engine/functions/kx_uu.h"
