// libjack's functions, looked up at run time: the library loads and offers its other devices on
// machines without JACK, and leaves the JACK device out there.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/transport.h>

#define RWB_JACK_FUNCTIONS(X)                                                                      \
    X(jack_client_open)                                                                            \
    X(jack_client_close)                                                                           \
    X(jack_activate)                                                                               \
    X(jack_get_sample_rate)                                                                        \
    X(jack_get_buffer_size)                                                                        \
    X(jack_get_cycle_times)                                                                        \
    X(jack_get_time)                                                                               \
    X(jack_port_register)                                                                          \
    X(jack_port_get_buffer)                                                                        \
    X(jack_port_name)                                                                              \
    X(jack_port_by_name)                                                                           \
    X(jack_port_connected_to)                                                                      \
    X(jack_connect)                                                                                \
    X(jack_set_port_registration_callback)                                                         \
    X(jack_set_process_callback)                                                                   \
    X(jack_on_shutdown)                                                                            \
    X(jack_set_timebase_callback)                                                                  \
    X(jack_transport_query)                                                                        \
    X(jack_transport_start)                                                                        \
    X(jack_transport_stop)                                                                         \
    X(jack_transport_locate)                                                                       \
    X(jack_midi_clear_buffer)                                                                      \
    X(jack_midi_event_write)                                                                       \
    X(jack_ringbuffer_create)                                                                      \
    X(jack_ringbuffer_free)                                                                        \
    X(jack_ringbuffer_read)                                                                        \
    X(jack_ringbuffer_peek)                                                                        \
    X(jack_ringbuffer_write)                                                                       \
    X(jack_ringbuffer_read_space)                                                                  \
    X(jack_ringbuffer_write_space)                                                                 \
    X(jack_ringbuffer_read_advance)                                                                \
    X(jack_ringbuffer_write_advance)                                                               \
    X(jack_ringbuffer_get_read_vector)                                                             \
    X(jack_ringbuffer_get_write_vector)

struct CJackApi {
#define RWB_JACK_POINTER(name) decltype(&::name) name = nullptr;
    RWB_JACK_FUNCTIONS(RWB_JACK_POINTER)
#undef RWB_JACK_POINTER
};

/// libjack's functions, loaded on first use and kept for the life of the process; null when
/// libjack is missing or lacks one of them.
const CJackApi* jackApi();
