#!/usr/bin/env python3
"""Reads a mail the test SMTP server captured (its session JSON) with
Python's own mail parser: prints the decoded subject and the To line, and
writes the first attachment to --attachment."""
import argparse
import email
import email.policy
import json

args = argparse.ArgumentParser()
args.add_argument("session")
args.add_argument("--attachment")
a = args.parse_args()
with open(a.session) as f:
    session = json.load(f)
message = email.message_from_string(session["data"].replace("\n", "\r\n"), policy=email.policy.default)
print("subject:", message["subject"])
print("to:", message["to"])
print("rcpt:", " ".join(session["to"]))
for part in message.iter_attachments():
    print("attachment:", part.get_filename(), part.get_content_type())
    if a.attachment:
        with open(a.attachment, "wb") as out:
            out.write(part.get_payload(decode=True))
        a.attachment = None
body = message.get_body(preferencelist=("plain",))
print("body:", body.get_content().strip() if body else "")
