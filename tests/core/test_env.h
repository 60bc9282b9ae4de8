// Setting and clearing environment variables the same way on every platform the tests run on.
#ifndef TARNBUS_TEST_ENV_H
#define TARNBUS_TEST_ENV_H

#include <cstdlib>

inline void vSetEnv(const char *strName, const char *strValue)
{
#if defined(_WIN32)
    _putenv_s(strName, strValue);
#else
    setenv(strName, strValue, 1);
#endif
}

inline void vUnsetEnv(const char *strName)
{
#if defined(_WIN32)
    _putenv_s(strName, ""); // an empty value removes the variable
#else
    unsetenv(strName);
#endif
}

#endif
