#!/usr/bin/env python3
"""A slow link on loopback: a TCP relay from 127.0.0.1:LISTEN-PORT (0: any
free one) to 127.0.0.1:TARGET-PORT that holds every byte DELAY-MS in each
direction, as a long line would, without limiting the bandwidth. It prints
its port on the first line and ends after LIFETIME seconds at the most.

Usage: delay_proxy.py TARGET-PORT DELAY-MS LIFETIME [LISTEN-PORT]
"""
import asyncio
import sys
import time


async def pump(reader, writer, delay):
    """Copies reader to writer, each piece leaving `delay` seconds after it came."""
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        try:
            writer.write_eof()  # the close travels with the same delay
        except OSError:
            pass

    sender = asyncio.ensure_future(deliver())
    try:
        while True:
            data = await reader.read(65536)
            await queue.put((time.monotonic() + delay, data or None))
            if not data:
                break
    except OSError:
        await queue.put((time.monotonic() + delay, None))
    try:
        await sender
    except OSError:
        pass


async def relay(client_reader, client_writer, target_port, delay):
    try:
        server_reader, server_writer = await asyncio.open_connection('127.0.0.1', target_port)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(pump(client_reader, server_writer, delay),
                         pump(server_reader, client_writer, delay), return_exceptions=True)
    client_writer.close()
    server_writer.close()


async def main():
    target_port, delay_ms, lifetime = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
    listen_port = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    server = await asyncio.start_server(
        lambda r, w: relay(r, w, target_port, delay_ms / 1000.0), '127.0.0.1', listen_port)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        try:
            await asyncio.wait_for(server.serve_forever(), timeout=lifetime)
        except asyncio.TimeoutError:
            pass


if __name__ == '__main__':
    asyncio.run(main())
