#!/usr/bin/python3
"""Reads a recorded multipart request with Python's email package and writes the file it carries.

Usage: multipart_extract.py request.bin out-file
Prints the file field's file name, then the value of the "submit" field.
"""
import email
import email.policy
import sys

raw = open(sys.argv[1], "rb").read()
head, _, body = raw.partition(b"\r\n\r\n")
content_type = [line for line in head.split(b"\r\n") if line.lower().startswith(b"content-type:")][0]
message = email.message_from_bytes(content_type + b"\r\n\r\n" + body, policy=email.policy.HTTP)
if not message.is_multipart():
    sys.exit("not a multipart body")
submit = None
for part in message.iter_parts():
    name = part.get_param("name", header="content-disposition")
    if name == "QX_Image":
        with open(sys.argv[2], "wb") as out:
            out.write(part.get_payload(decode=True))
        print(part.get_param("filename", header="content-disposition"))
    elif name == "submit":
        submit = part.get_payload(decode=True).decode()
print(submit)
