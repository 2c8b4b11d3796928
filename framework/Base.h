#pragma once

// Common base of the framework's classes. It carries nothing; each derived
// class declares its own virtual destructor.
class CBase {};
