// The six calculation functions a FileMaker solution calls, and the one transaction state they
// share: the current gateway object.
#ifndef PAYGROVE_HOST_CALCFUNCTIONS_H
#define PAYGROVE_HOST_CALCFUNCTIONS_H

#include <FMWrapper/FMWrapper.h>

#include <memory>

#include "gateway/AuthBase.h"

extern std::unique_ptr<CAuthBase> g_Auth;
// The exchange of the platform, made at start-up; each gateway object takes it when it is created.
extern std::shared_ptr<IExchange> g_Exchange;
// The platform's machine, made at start-up and handed to each gateway object with the exchange.
extern std::shared_ptr<const IMachine> g_Machine;

FMX_PROC(FMX_ErrorCode)
PluginVersion(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms,
              FMX_Data* result);
FMX_PROC(FMX_ErrorCode)
BeginTransaction(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms,
                 FMX_Data* result);
FMX_PROC(FMX_ErrorCode)
SetParameters(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms,
              FMX_Data* result);
FMX_PROC(FMX_ErrorCode)
SendTransaction(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms,
                FMX_Data* result);
FMX_PROC(FMX_ErrorCode)
GetResult(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms, FMX_Data* result);
FMX_PROC(FMX_ErrorCode)
SelectPortal(int16_t functionId, const FMX_ExprEnv* env, const FMX_DataVect* parms,
             FMX_Data* result);

// A new gateway object for a portal name; a name outside the portal table gets Authorize.Net.
std::unique_ptr<CAuthBase> CreateGateway(const char* portalName);

#endif
