// Everything a plug-in or the host simulator needs from the host library.
#pragma once

#include "hostsdk/BinaryData.h"
#include "hostsdk/CallBlock.h"
#include "hostsdk/Data.h"
#include "hostsdk/DateTime.h"
#include "hostsdk/Errors.h"
#include "hostsdk/Export.h"
#include "hostsdk/ExprEnv.h"
#include "hostsdk/FixPt.h"
#include "hostsdk/Holders.h"
#include "hostsdk/Host.h"
#include "hostsdk/Locale.h"
#include "hostsdk/QuadChar.h"
#include "hostsdk/Text.h"
#include "hostsdk/TextStyle.h"
#include "hostsdk/Vectors.h"
