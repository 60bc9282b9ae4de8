/* Export and calling-convention macros of libtarnbus. */
#ifndef TARNBUS_EXPORT_H
#define TARNBUS_EXPORT_H

#if defined(_WIN32)
#if defined(TARNBUS_BUILDING)
#define TARNBUS_EXPORT __declspec(dllexport)
/* The flat functions leave tarnbus.dll through its .def file alone, by their plain names; marking them
 * for export as well would add their decorated names to the export table. */
#define TARNBUS_FLAT
#else
#define TARNBUS_EXPORT __declspec(dllimport)
#define TARNBUS_FLAT __declspec(dllimport)
#endif
/* Flat functions keep the standard Windows calling convention (callee pops its arguments). */
#define TARNBUS_API __stdcall
#else
#define TARNBUS_EXPORT __attribute__((visibility("default")))
#define TARNBUS_FLAT TARNBUS_EXPORT
#define TARNBUS_API
#endif

#endif
