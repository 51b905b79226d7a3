/* A stand-in for the ZeroMQ library that lacks zmq_msg_init_size: the
   binding must refuse it although streamcat never calls that function. */
int zmq_ctx_new(void) { return 0; }
int zmq_ctx_destroy(void) { return 0; }
int zmq_socket(void) { return 0; }
int zmq_getsockopt(void) { return 0; }
int zmq_setsockopt(void) { return 0; }
int zmq_close(void) { return 0; }
int zmq_bind(void) { return 0; }
int zmq_connect(void) { return 0; }
int zmq_poll(void) { return 0; }
int zmq_msg_send(void) { return 0; }
int zmq_msg_recv(void) { return 0; }
int zmq_msg_init(void) { return 0; }
int zmq_msg_close(void) { return 0; }
int zmq_msg_size(void) { return 0; }
int zmq_msg_data(void) { return 0; }
