#include "DllSafety.h"

bool RestrictDllSearch()
{
    SetDllDirectoryA("");
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        FindFunction<SetDefaultDllDirectoriesFunction>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    return setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool RefuseUntrustedLinks()
{
    using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const auto setPolicy = FindFunction<SetProcessMitigationPolicyFunction>(GetModuleHandleA("kernel32.dll"),
                                                                            "SetProcessMitigationPolicy");
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    return setPolicy && setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}
